# The figures of bench/run: the window acquiring from the simulated device, measured from inside.
add_executable(window_bench ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp)
target_link_libraries(window_bench PRIVATE mevrant_app)
add_executable(check_sequence ${CMAKE_CURRENT_LIST_DIR}/check_sequence.cpp)
target_link_libraries(check_sequence PRIVATE mevrant_chart_core)
# Redraw after one append, full Paint, pan and zoom steps at 1M and 10M items, reduced and plain.
add_executable(bench_chart_speed ${CMAKE_CURRENT_LIST_DIR}/bench_chart_speed.cpp)
target_link_libraries(bench_chart_speed PRIVATE mevrant_chart benchmark::benchmark)
