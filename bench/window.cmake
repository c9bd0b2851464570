# Main window: start-up time to a shown window, as a fresh process and within a running one.
if(TARGET plotmira_window)
    add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/window/startup_bench.cpp)
    target_link_libraries(bench_window PRIVATE plotmira_window Qt6::Test)
    set_target_properties(bench_window PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
