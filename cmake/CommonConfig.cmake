# One place for the compile settings every target of the project links.
option(BACKOFFICE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# ThreadSanitizer, in a build directory of its own (it cannot share one with
# the option above): cmake -B build-tsan -DBACKOFFICE_TSAN=ON -DBACKOFFICE_TESTS=ON
option(BACKOFFICE_TSAN "Build with ThreadSanitizer" OFF)
if(BACKOFFICE_SANITIZE AND BACKOFFICE_TSAN)
  message(FATAL_ERROR "BACKOFFICE_SANITIZE and BACKOFFICE_TSAN exclude each other; use two build directories")
endif()

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
  set(CMAKE_CXX_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
endif()

add_library(backoffice_common INTERFACE)
target_compile_options(backoffice_common INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(backoffice_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_KEYWORDS)

if(BACKOFFICE_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(backoffice_common INTERFACE ${_san})
  target_link_options(backoffice_common INTERFACE ${_san})
endif()

if(BACKOFFICE_TSAN)
  set(_tsan -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(backoffice_common INTERFACE ${_tsan})
  target_link_options(backoffice_common INTERFACE ${_tsan})
endif()
