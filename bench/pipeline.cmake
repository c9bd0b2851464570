# SPDX-License-Identifier: GPL-3.0-or-later
# Sample pipeline: lines per second of the pipeline alone, and end to end from plotmira-sim
# through the serial component and the pipeline into the rendering chart (plotmira-cli record).
add_executable(bench_pipeline ${CMAKE_CURRENT_LIST_DIR}/bench_pipeline.cpp)
target_include_directories(bench_pipeline PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(bench_pipeline PRIVATE plotmira_pipeline plotmira_chart plotmira_chartcore Qt6::Widgets)
target_compile_definitions(bench_pipeline PRIVATE
    PLOTMIRA_SIM_PATH="$<$<TARGET_EXISTS:plotmira-sim>:$<TARGET_FILE:plotmira-sim>>"
    PLOTMIRA_CLI_PATH="$<$<TARGET_EXISTS:plotmira-cli>:$<TARGET_FILE:plotmira-cli>>")
if(TARGET plotmira-cli)
    add_dependencies(bench_pipeline plotmira-cli)
endif()
if(TARGET plotmira-sim)
    add_dependencies(bench_pipeline plotmira-sim)
endif()
set_target_properties(bench_pipeline PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
