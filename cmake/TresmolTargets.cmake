# Common settings every Tresmol target gets: strict string handling, warnings,
# optional sanitizers.
function(tresmol_target_defaults target)
  target_compile_definitions(${target} PRIVATE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_USE_QSTRINGBUILDER
    QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
  if(TRESMOL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(TRESMOL_ASAN)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# tresmol_library(name [NO_GUI] SOURCES... LINKS...): one static library per source
# folder (a folder may hold a few).
#
# The libraries form layers: src/CMakeLists.txt adds the folders bottom up, and a
# library may link only the Tresmol libraries defined before it, in an earlier folder
# or earlier in its own. Each library takes the next position in that order, kept in
# the global property TRESMOL_LIBRARY_POSITION_<name>, and a link to a library
# without a position yet (one further up, or the library itself) stops the configure
# step, so a layer never comes to reach into one above it.
#
# The same holds for includes: a source of the library may include a header of its own
# folder, or of a folder (under src/) whose first library is defined before it. A
# header of a folder further up stops the configure step, so no layer leans on one
# above it through a header alone.
#
# NO_GUI: the library must not need Qt's GUI modules, directly or through the Tresmol
# libraries it links.
function(tresmol_library name)
  cmake_parse_arguments(ARG "NO_GUI" "" "SOURCES;LINKS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(source IN LISTS ARG_SOURCES)
    if(IS_ABSOLUTE ${source})
      set(path ${source})
    else()
      set(path ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    endif()
    if(NOT EXISTS ${path})
      continue()
    endif()
    file(STRINGS ${path} includes REGEX "^#include \"[^\"]+/[^\"/]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"(.+)/[^\"/]+\".*$" "\\1" included "${line}")
      if(included STREQUAL folder OR NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${included})
        continue()
      endif()
      get_property(owner GLOBAL PROPERTY TRESMOL_FOLDER_LIBRARY_${included})
      if("${owner}" STREQUAL "")
        message(FATAL_ERROR
          "Tresmol library ${name} (src/${folder}) includes a header of src/${included} in "
          "${source}, a folder above its own. A library includes only from its own folder "
          "and from those whose libraries are defined before it.")
      endif()
    endforeach()
  endforeach()
  get_property(owner GLOBAL PROPERTY TRESMOL_FOLDER_LIBRARY_${folder})
  if("${owner}" STREQUAL "")
    set_property(GLOBAL PROPERTY TRESMOL_FOLDER_LIBRARY_${folder} ${name})
  endif()
  get_property(count GLOBAL PROPERTY TRESMOL_LIBRARY_COUNT)
  if(NOT count)
    set(count 0)
  endif()
  set(uses_gui FALSE)
  foreach(link IN LISTS ARG_LINKS)
    if(link MATCHES "^Qt6::(Gui|Widgets)$")
      set(uses_gui TRUE)
      if(ARG_NO_GUI)
        message(FATAL_ERROR "Tresmol library ${name} is built without Qt's GUI modules, but links ${link}.")
      endif()
    endif()
    if(NOT link MATCHES "^tresmol_")
      continue()
    endif()
    if(link STREQUAL name)
      message(FATAL_ERROR "Tresmol library ${name} links itself.")
    endif()
    get_property(position GLOBAL PROPERTY TRESMOL_LIBRARY_POSITION_${link})
    if("${position}" STREQUAL "")
      message(FATAL_ERROR
        "Tresmol library ${name} links ${link}, which is not defined before it. A library "
        "links only the Tresmol libraries below it: those of the folders listed before "
        "its own in src/CMakeLists.txt, and those defined earlier in its own folder.")
    endif()
    get_property(link_uses_gui GLOBAL PROPERTY TRESMOL_LIBRARY_USES_GUI_${link})
    if(link_uses_gui)
      set(uses_gui TRUE)
      if(ARG_NO_GUI)
        message(FATAL_ERROR
          "Tresmol library ${name} is built without Qt's GUI modules, but links ${link}, "
          "which needs them.")
      endif()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY TRESMOL_LIBRARY_POSITION_${name} ${count})
  set_property(GLOBAL PROPERTY TRESMOL_LIBRARY_USES_GUI_${name} ${uses_gui})
  math(EXPR count "${count} + 1")
  set_property(GLOBAL PROPERTY TRESMOL_LIBRARY_COUNT ${count})

  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  tresmol_target_defaults(${name})
endfunction()

# tresmol_test(name SOURCES... LINKS...): one Qt Test executable under CTest,
# headless and with a fixed locale.
function(tresmol_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LINKS})
  # Shared test helpers are included as "tests/common/...".
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    TRESMOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TRESMOL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  tresmol_target_defaults(${name})
  add_test(NAME ${name} COMMAND ${name})
  # The settings a window writes go to a folder of the test's own, never the user's.
  set(environment "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC"
    "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}.config")
  set(timeout 300)
  if(TRESMOL_ASAN)
    # Undefined behaviour fails the test, as an AddressSanitizer finding does, instead
    # of scrolling past in its output.
    list(APPEND environment "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
    # The sanitizers make the large-catalogue cases several times slower; Qt Test's
    # own limit per test function (five minutes) is raised with ctest's.
    set(timeout 1200)
    list(APPEND environment "QTEST_FUNCTION_TIMEOUT=1200000")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT ${timeout})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# tresmol_man_page(SOURCE): SOURCE (a troff page "NAME.SECTION") compressed at build
# time and installed in its section of the manual.
function(tresmol_man_page source)
  include(GNUInstallDirs)
  get_filename_component(name ${source} NAME)
  string(REGEX REPLACE "^.*\\.([0-9])$" "\\1" section ${name})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  find_program(GZIP gzip REQUIRED)
  add_custom_command(OUTPUT ${out}
    COMMAND ${GZIP} -9nc ${source} > ${out}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${name}")
  add_custom_target(man_${name} ALL DEPENDS ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
