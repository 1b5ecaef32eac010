# Tests of the drawing layer, number formatting, ticks, scales and mark symbols.
mevrant_add_test(test_canvas SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_canvas.cpp LIBS mevrant_chart)
mevrant_add_test(test_format SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_format.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_ticks SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ticks.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_marks SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_marks.cpp LIBS mevrant_chart)
mevrant_add_test(test_scale_props SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_scale_props.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_scale SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_scale.cpp LIBS mevrant_chart)
