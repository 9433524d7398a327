# How long writing and verifying a scenario takes per console generation, in real time on the
# in-process bench, against the time its bytes alone take on the wire.
firnadesk_benchmark(bench_memory_timing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_timing.cpp ${CMAKE_CURRENT_LIST_DIR}/show_rig.cpp
  LIBS firnadesk_show firnadesk_devices firnadesk_sim firnadesk_platform)
