# Build settings every target of the project shares.
add_library(pemtarx_common INTERFACE)
target_compile_features(pemtarx_common INTERFACE cxx_std_20)
target_compile_options(pemtarx_common INTERFACE -Wall -Wextra -pedantic -Wold-style-cast)
target_compile_definitions(pemtarx_common INTERFACE
  QT_NO_CAST_FROM_ASCII QT_USE_QSTRINGBUILDER QT_NO_CONTEXTLESS_CONNECT
  PEMTARX_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  PEMTARX_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  PEMTARX_VERSION_PATCH=${PROJECT_VERSION_PATCH})

# One QtTest executable per source, run by ctest on the offscreen platform.
function(pemtarx_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE pemtarx_common Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
