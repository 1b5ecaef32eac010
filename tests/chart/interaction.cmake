mevrant_add_test(test_item_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_item_file.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_crosshair_label SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_crosshair_label.cpp LIBS mevrant_chart)
mevrant_add_test(test_mouse SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mouse.cpp LIBS mevrant_chart)
mevrant_add_test(test_cursors SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cursors.cpp LIBS mevrant_chart)
