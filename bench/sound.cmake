# Cost of the sound layer's software mixer per second of audio.
qv_add_bench(bench_sound SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundBench.cpp LIBS qv_platform_audio)
