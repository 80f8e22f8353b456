# Round trip and one-way rate of guaranteed 64-byte messages between two
# session peers on loopback.
qv_add_bench(bench_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/SessionBench.cpp LIBS qv_media_session)
