# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(QORVAL_WERROR)
  add_compile_options(-Werror)
endif()

if(QORVAL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QORVAL_VERIFIER=1)
endif()
if(QORVAL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(QORVAL_VERIFIER=1)
endif()
if(QORVAL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_definitions(QORVAL_VERIFIER=1)
endif()

# qorval_add_gtest(NAME <exe> SOURCES <files...> LIBS <targets...> [LABELS <label>])
# Builds one GoogleTest executable and registers each of its tests with ctest.
# Label "concurrency" marks suites that are also run under ThreadSanitizer.
function(qorval_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT QORVAL_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set(labels ${T_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  if("concurrency" IN_LIST labels)
    set_property(GLOBAL APPEND PROPERTY QORVAL_CONCURRENCY_TESTS ${T_NAME})
  endif()
  # gtest_discover_tests flattens PROPERTIES into one list, so a second label would become a
  # property name and shift every later name and value (the timeout, the environment).
  list(LENGTH labels label_count)
  if(label_count GREATER 1)
    message(FATAL_ERROR "${T_NAME}: a test executable carries one label, not ${labels}")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${labels}" TIMEOUT 300)
endfunction()

# qorval_add_window_test(NAME <exe> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable of window tests: QApplication made by the shared main, Qt's QTest
# helpers at hand, drawn offscreen unless QT_QPA_PLATFORM names a display. Label "window" lets
# scripts/test run them once more on a real X server.
function(qorval_add_window_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT QORVAL_TESTS OR NOT QORVAL_WINDOWS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qorval_window_testing Threads::Threads)
  # One label only, "window" (see qorval_add_gtest for why).
  if(T_LABELS)
    message(FATAL_ERROR "${T_NAME}: window tests carry the label window only")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS window TIMEOUT 300
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan-windows.supp")
endfunction()

# qorval_add_fuzzer(NAME <exe> SOURCES <files...> LIBS <targets...>)
function(qorval_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY QORVAL_FUZZERS ${F_NAME})
endfunction()

# Umbrella targets, so a build tree can build only what it runs: the concurrency suites
# (ThreadSanitizer tree) and the fuzzers. Called once, at the end of the top-level file.
function(qorval_add_umbrella_targets)
  get_property(concurrency GLOBAL PROPERTY QORVAL_CONCURRENCY_TESTS)
  add_custom_target(concurrency_tests)
  if(concurrency)
    add_dependencies(concurrency_tests ${concurrency})
  endif()
  get_property(fuzzers GLOBAL PROPERTY QORVAL_FUZZERS)
  add_custom_target(fuzzers)
  if(fuzzers)
    add_dependencies(fuzzers ${fuzzers})
  endif()
endfunction()
