# The operator window with up to a million cues loaded: load time, memory and the cost of following
# the show, offscreen, each size in a process of its own.
firnadesk_benchmark(bench_window_cues
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_cues.cpp
  LIBS firnadesk_app)
