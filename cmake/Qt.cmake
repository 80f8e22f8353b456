# The project's one Qt set-up: Qt 6 Widgets for the front end and its dialogs,
# Network for the local socket, WebEngine for the start page. Targets link
# Qt6::Widgets etc. as they need; moc runs for every target that has Q_OBJECT
# classes.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network)
find_package(Qt6 QUIET COMPONENTS WebEngineWidgets)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC OFF)
set(CMAKE_AUTOUIC OFF)
# QUORVEX_HAVE_WEBENGINE: the start page can use Qt WebEngine.
if(TARGET Qt6::WebEngineWidgets)
    set(QUORVEX_HAVE_WEBENGINE ON)
else()
    set(QUORVEX_HAVE_WEBENGINE OFF)
    message(STATUS "Qt WebEngine not found: the start page stays hidden")
endif()
