# Throughput of the program's cipher through its streams.
qv_add_bench(bench_cipher SOURCES ${CMAKE_CURRENT_LIST_DIR}/CipherBench.cpp LIBS qv_foundation)
