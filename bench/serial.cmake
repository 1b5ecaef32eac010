# The serial receive path: one reading from the device to the handler, and bulk bytes per second.
add_executable(bench_serial ${CMAKE_CURRENT_LIST_DIR}/bench_serial.cpp)
target_link_libraries(bench_serial PRIVATE mevrant_serial_core benchmark::benchmark)
