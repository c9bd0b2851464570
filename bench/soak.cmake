# SPDX-License-Identifier: GPL-3.0-or-later
# Memory of an endless trend run over time, plotmira-cli record and the window.
if(TARGET plotmira_window)
    add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
    target_include_directories(bench_soak PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(bench_soak PRIVATE plotmira_window Qt6::Test util)
    target_compile_definitions(bench_soak PRIVATE
        PLOTMIRA_CLI_PATH="$<$<TARGET_EXISTS:plotmira-cli>:$<TARGET_FILE:plotmira-cli>>")
    if(TARGET plotmira-cli)
        add_dependencies(bench_soak plotmira-cli)
    endif()
    set_target_properties(bench_soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
