# How well the show clock chases timecode: lock time, error against the timecode's frame edges at
# 25 and 29.97 drop-frame with the source 0.1 % off and its edges jittered, freewheel error after a
# dropout. Prints figures.
firnadesk_benchmark(bench_timecode
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timecode_bench.cpp
  LIBS firnadesk_timecode)
