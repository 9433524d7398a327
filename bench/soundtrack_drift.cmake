# The soundtrack's distance from the show clock after an hour on a sound card 500 ppm off, with and
# without following the clock (a test device on the virtual clock; no sound card, no real time).
firnadesk_benchmark(bench_soundtrack_drift
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/soundtrack_drift_main.cpp ${CMAKE_CURRENT_LIST_DIR}/soundtrack_drift.cpp
  LIBS firnadesk_audio)
target_include_directories(bench_soundtrack_drift PRIVATE ${PROJECT_SOURCE_DIR})
