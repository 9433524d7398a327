# How well the show clock chases timecode: lock time, error against the timecode's frame edges at
# 25 and 29.97 drop-frame with the source 0.1 % off and its edges jittered, freewheel error after a
# dropout; and the soundtrack's drift rows (bench_soundtrack_drift's hour). Prints figures.
firnadesk_benchmark(bench_timecode
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timecode_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/soundtrack_drift.cpp
  LIBS firnadesk_timecode firnadesk_audio)
target_include_directories(bench_timecode PRIVATE ${PROJECT_SOURCE_DIR})
