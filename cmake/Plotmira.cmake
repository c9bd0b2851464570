# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers that let each room add source files without editing a shared list.

# plotmira_room_library(NAME [QT] LIBS ...): a static library of every *.cpp in the current
# folder. Libraries named in LIBS are linked only when they exist, so a room builds before the
# rooms it will later use are in place.
function(plotmira_room_library name)
    cmake_parse_arguments(A "QT" "" "LIBS" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT srcs)
        return()
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC plotmira_base Threads::Threads)
    foreach(lib ${A_LIBS})
        target_link_libraries(${name} PUBLIC $<TARGET_NAME_IF_EXISTS:${lib}>)
    endforeach()
    if(A_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
endfunction()

# plotmira_room_test(NAME [QT] LIBS ...): one test binary of every *.cpp in the current folder.
# QT tests get a main() with a headless QApplication; the others use gtest_main.
function(plotmira_room_test name)
    cmake_parse_arguments(A "QT" "" "LIBS" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    foreach(lib ${A_LIBS})
        target_link_libraries(${name} PRIVATE $<TARGET_NAME_IF_EXISTS:${lib}>)
    endforeach()
    if(A_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
        target_link_libraries(${name} PRIVATE plotmira_qt_test_main GTest::gmock Qt6::Test)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
    endif()
    # Paths of the built tools, for end-to-end tests that start them.
    target_compile_definitions(${name} PRIVATE
        PLOTMIRA_SIM_PATH="$<$<TARGET_EXISTS:plotmira-sim>:$<TARGET_FILE:plotmira-sim>>"
        PLOTMIRA_CLI_PATH="$<$<TARGET_EXISTS:plotmira-cli>:$<TARGET_FILE:plotmira-cli>>"
        PLOTMIRA_APP_PATH="$<$<TARGET_EXISTS:plotmira>:$<TARGET_FILE:plotmira>>")
    # NO_PRETTY_VALUES: parameter values print as raw bytes (addresses), which makes unstable names.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
