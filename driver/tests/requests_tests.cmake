# Tests of the request interface and device lifecycle, on the kernel model and a simulated card.
set(_requests_tests ${CMAKE_CURRENT_LIST_DIR})
qorval_add_gtest(NAME driver_requests_tests
  SOURCES
    ${_requests_tests}/requests_fixture.cpp
    ${_requests_tests}/requests_open_test.cpp
    ${_requests_tests}/requests_frames_test.cpp
    ${_requests_tests}/requests_control_test.cpp
    ${_requests_tests}/requests_lifecycle_test.cpp
  LIBS qorval_driver_requests qorval_sim qorval_kernel_test_support)

qorval_add_gtest(NAME driver_requests_stress_tests
  SOURCES
    ${_requests_tests}/requests_fixture.cpp
    ${_requests_tests}/requests_stress_test.cpp
  LIBS qorval_driver_requests qorval_sim qorval_kernel_test_support
  LABELS concurrency)
