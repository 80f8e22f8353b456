# Ticks per second of a whole 90 s level of the game rules, live and
# replayed, and the peak number of sprites it held.
qv_add_bench(bench_logic SOURCES ${CMAKE_CURRENT_LIST_DIR}/LogicBench.cpp LIBS qv_game_logic)
