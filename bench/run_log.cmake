# What one run log line costs (the file is opened and closed on every call), and the helpers
# behind it: Windows-1251 conversion and reading the program's version.
firnadesk_benchmark(bench_run_log
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_log.cpp
  LIBS firnadesk_support)
