# How long one full pass of the bus search takes in real time on the bench (engine thread, real
# clock): an empty bus, and the default bench with its registrations.
firnadesk_benchmark(bench_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scan_bench.cpp
  LIBS firnadesk_devices firnadesk_sim firnadesk_platform)
