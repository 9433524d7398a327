# Loading a scenario of a million cues (written to a temporary file first), and the time it takes.
firnadesk_benchmark(bench_scenario_load
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenario_load.cpp
  LIBS firnadesk_show)
