# lumivane_warnings(<target>): the warnings of our own C++ code (product, tests and
# benchmarks), errors with LUMIVANE_WERROR (CI). Generated C (protocol code) and
# system headers are left out.
function(lumivane_warnings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-unused-parameter>)
  if(LUMIVANE_WERROR)
    # GCC 12's maybe-uninitialized misfires inside Qt's containers held in std::optional
    # at -O2: it stays a warning.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Werror>
                           $<$<CXX_COMPILER_ID:GNU>:-Wno-error=maybe-uninitialized>)
  endif()
endfunction()

# Precompiled headers (LUMIVANE_PCH): the Qt and standard headers most sources
# include, parsed once for the whole build in three shared variants that every area,
# test suite and benchmark reuses: "gui" (Qt Core and Gui, for the areas that do not
# link the widgets), "widgets" (and <QWidget>) and "tests" (and GoogleTest). ccache
# caches both the headers and their users (the scripts set sloppiness=pch_defines,time_macros).
option(LUMIVANE_PCH "Precompile the common Qt headers once for all targets" ON)
set(lumivane_pch_headers <QByteArray> <QCoreApplication> <QDir> <QFileInfo> <QImage> <QObject> <QPainter>
    <QPointer> <QString> <QStringList> <QTimer> <functional> <memory> <optional> <vector>)
function(lumivane_shared_pch)
  if(NOT LUMIVANE_PCH)
    return()
  endif()
  foreach(variant gui widgets tests)
    add_library(lumivane_pch_${variant} STATIC ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    set_target_properties(lumivane_pch_${variant} PROPERTIES AUTOMOC OFF)
    target_link_libraries(lumivane_pch_${variant} PRIVATE Qt6::Core Qt6::Gui)
  endforeach()
  target_link_libraries(lumivane_pch_widgets PRIVATE Qt6::Widgets)
  target_link_libraries(lumivane_pch_tests PRIVATE Qt6::Widgets GTest::gtest GTest::gmock)
  target_precompile_headers(lumivane_pch_gui PRIVATE ${lumivane_pch_headers})
  target_precompile_headers(lumivane_pch_widgets PRIVATE ${lumivane_pch_headers} <QWidget>)
  target_precompile_headers(lumivane_pch_tests PRIVATE ${lumivane_pch_headers} <QWidget> <gtest/gtest.h>
                            <gmock/gmock.h>)
  foreach(variant gui widgets tests)
    lumivane_pch_options(lumivane_pch_${variant})
  endforeach()
endfunction()

# A header is used only under the macros it was made with; GLib's and GoogleTest's
# flags define _REENTRANT (-pthread), so every user of a shared header compiles with it.
function(lumivane_pch_options target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-pthread>)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fpch-preprocess>)
  elseif(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Without the headers' times in it, a fresh checkout's header is the same to the cache.
    target_compile_options(${target} PRIVATE "SHELL:-Xclang -fno-pch-timestamp")
  endif()
endfunction()

# lumivane_precompile_qt(<target> <gui|widgets|tests> [sources...]): the target reuses
# the shared variant. GLib's headers name a member "signals", a macro once Qt's headers
# are in: the given sources that include them are compiled without.
function(lumivane_precompile_qt target variant)
  if(NOT LUMIVANE_PCH)
    return()
  endif()
  target_precompile_headers(${target} REUSE_FROM lumivane_pch_${variant})
  lumivane_pch_options(${target})
  foreach(source ${ARGN})
    if(source MATCHES "\\.cpp$")
      file(STRINGS ${source} glib_include REGEX "#include <(gio|glib)" LIMIT_COUNT 1)
      if(glib_include)
        set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON
                                    SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endif()
  endforeach()
endfunction()

# lumivane_area(<area> [DEPS libs...] [PRIVATE libs...])
# Builds lumivane_<area> from every .cpp/.h in the area folder (subfolders included).
# DEPS are linked PUBLIC (libraries the area's headers include), PRIVATE ones only
# for its sources. "<area>/X.h" resolves through a folder of the build tree that
# holds just the link <area> -> the source folder, on the target's PUBLIC include
# path: an area can include only itself and what it links, directly or through a
# PUBLIC dependency, so an include against the one-way graph fails to compile.
function(lumivane_area area)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(lumivane_${area} STATIC ${sources})
  lumivane_include_root(root ${area} ${CMAKE_CURRENT_SOURCE_DIR})
  target_include_directories(lumivane_${area} PUBLIC ${root} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(lumivane_${area} PUBLIC Qt6::Core Qt6::Gui ${ARG_DEPS} PRIVATE ${ARG_PRIVATE})
  lumivane_warnings(lumivane_${area})
  # <QWidget> only where the area itself links the widgets (core and ocr do not).
  get_target_property(links lumivane_${area} LINK_LIBRARIES)
  if("Qt6::Widgets" IN_LIST links)
    lumivane_precompile_qt(lumivane_${area} widgets ${sources})
  else()
    lumivane_precompile_qt(lumivane_${area} gui ${sources})
  endif()
endfunction()

# lumivane_include_root(<out-var> <name> <folder>)
# A folder in the build tree holding only the link <name> -> <folder>.
function(lumivane_include_root out name folder)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# lumivane_test_suite(<folder> [XVFB|WAYLAND|WAYLAND_WITHOUT_PORTAL|KWIN|GNOME] [DEPS libs...])
# One GoogleTest executable per folder tests/<folder> (its own files, not its
# subfolders): tests/platform/x11 becomes tests_platform_x11 with ctest names
# "platform.x11.<Suite>.<Case>". The folders mirror the product areas; a
# subfolder holds the area's tests that need another environment. XVFB runs
# every test process against its own private Xvfb server with Qt on xcb;
# WAYLAND runs the executable inside its own headless sway session with Qt on
# wayland (WAYLAND_WITHOUT_PORTAL: one without the screenshot portal), KWIN
# inside a headless KWin session, GNOME inside a headless GNOME session;
# otherwise Qt uses the offscreen platform.
function(lumivane_test_suite folder)
  cmake_parse_arguments(ARG "XVFB;WAYLAND;WAYLAND_WITHOUT_PORTAL;KWIN;GNOME" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  if(NOT sources)
    return()
  endif()
  string(REPLACE "/" "_" target_suffix ${folder})
  string(REPLACE "/" "." name ${folder})
  set(target tests_${target_suffix})
  add_executable(${target} ${sources})
  add_dependencies(lumivane_tests ${target})
  # A folder's cases compile as one or two sources: their headers are parsed once.
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 6)
  lumivane_precompile_qt(${target} tests ${sources})
  if(ARG_XVFB)
    target_link_libraries(${target} PRIVATE lumivane_test_main_xvfb)
  elseif(ARG_WAYLAND)
    target_link_libraries(${target} PRIVATE lumivane_test_main_wayland)
  elseif(ARG_WAYLAND_WITHOUT_PORTAL)
    target_link_libraries(${target} PRIVATE lumivane_test_main_wayland_without_portal)
    set(ARG_WAYLAND TRUE)
  elseif(ARG_KWIN)
    target_link_libraries(${target} PRIVATE lumivane_test_main_kwin)
  elseif(ARG_GNOME)
    target_link_libraries(${target} PRIVATE lumivane_test_main_gnome)
  else()
    target_link_libraries(${target} PRIVATE lumivane_test_main)
  endif()
  target_link_libraries(${target} PRIVATE lumivane_test_support ${ARG_DEPS} GTest::gtest GTest::gmock Qt6::Test)
  lumivane_include_root(tests_root tests ${CMAKE_CURRENT_SOURCE_DIR})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${tests_root})
  # Unity sources include the test files, so their anonymous-namespace fixtures count as from a header.
  lumivane_warnings(${target})
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  if(ARG_WAYLAND OR ARG_KWIN)
    # A desktop session takes seconds to start, so the executable is one ctest
    # test whose cases share one session (select cases with --gtest_filter).
    # The wlr screenshot backend writes one fixed file (/tmp/out.png) in every
    # session: executables that may take portal screenshots run one at a time.
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 RESOURCE_LOCK lumivane_wayland_portal_screenshot)
    return()
  endif()
  if(ARG_GNOME)
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    return()
  endif()
  # Test names start with the folder ("browser.ChromiumCapture.X"), so ctest -R <area> selects one area.
  gtest_discover_tests(${target} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
