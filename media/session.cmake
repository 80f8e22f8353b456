# The session wrappers: DirectPlay errors and checks, the client and the peer.
add_library(qv_media_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/zkDirectPlay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkDPClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkDPPeer.cpp)
target_link_libraries(qv_media_session PUBLIC qv_options qv_foundation qv_platform_session)
