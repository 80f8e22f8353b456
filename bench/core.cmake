# Frame time of the game core (logic ticks plus rendering) at the busiest
# moment of level 1 on the offscreen GL renderer, with the program's content.
qv_add_bench(bench_game_frame SOURCES ${CMAKE_CURRENT_LIST_DIR}/GameFrameBench.cpp
    LIBS qv_game_core qv_game_resources qv_media_render qv_foundation)
