# How fast the bus engine cuts frames out of a noisy byte stream.
firnadesk_benchmark(bench_scanner
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scanner_bench.cpp
  LIBS firnadesk_bus)
