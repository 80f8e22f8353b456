# The thread-driven timer and the main-thread dispatcher it ticks through.
add_library(qv_media_timer STATIC
    ${CMAKE_CURRENT_LIST_DIR}/MainThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ThdTimer.cpp)
find_package(Threads REQUIRED)
target_link_libraries(qv_media_timer PUBLIC qv_options Threads::Threads)

# WAVE reading and PCM conversion, the sound object and its sounds.
add_library(qv_media_sound STATIC
    ${CMAKE_CURRENT_LIST_DIR}/WaveRead.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkDSound.cpp)
target_link_libraries(qv_media_sound PUBLIC
    qv_options qv_foundation qv_media_timer qv_platform_audio qv_platform_codec qv_platform_resources qv_platform_system)
