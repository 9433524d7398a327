# A show under faults in real time on the in-process bench: corrupted bytes and an unplugged
# converter during a long direct show, and an autonomous show stopped by the remote control.
# Prints what the bench's consoles fired against what the show asked for.
firnadesk_benchmark(bench_fault_soak
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fault_soak.cpp ${CMAKE_CURRENT_LIST_DIR}/show_rig.cpp
  LIBS firnadesk_show firnadesk_devices firnadesk_sim firnadesk_platform)
