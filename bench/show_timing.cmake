# How late the cues of a direct show reach the consoles in real time on the in-process bench, and
# how close bursts of cues come to what the wire allows.
firnadesk_benchmark(bench_show_timing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/show_timing.cpp
  LIBS firnadesk_show firnadesk_sim firnadesk_platform)
