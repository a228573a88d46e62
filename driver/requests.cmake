# The driver's request interface and device lifecycle, on the kernel model.
add_library(qorval_driver_requests STATIC
  ${CMAKE_CURRENT_LIST_DIR}/driver_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_add.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_gate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_hardware.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_pnp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_power.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_create.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_write.cpp
)
target_link_libraries(qorval_driver_requests PUBLIC qorval_driver qorval_kernel)

include(${CMAKE_CURRENT_LIST_DIR}/tests/requests_tests.cmake)
