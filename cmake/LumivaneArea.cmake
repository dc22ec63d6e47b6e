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
  target_compile_options(lumivane_${area} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# lumivane_include_root(<out-var> <name> <folder>)
# A folder in the build tree holding only the link <name> -> <folder>.
function(lumivane_include_root out name folder)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# lumivane_test_area(<area> [XVFB|WAYLAND|WAYLAND_WITHOUT_PORTAL|KWIN|GNOME] [DEPS libs...])
# One GoogleTest executable per folder tests/<area>. XVFB runs every test
# process against its own private Xvfb server with Qt on xcb; WAYLAND runs the
# executable inside its own headless sway session with Qt on wayland
# (WAYLAND_WITHOUT_PORTAL: one without the screenshot portal), KWIN inside a
# headless KWin session, GNOME inside a headless GNOME session; otherwise Qt
# uses the offscreen platform.
function(lumivane_test_area area)
  cmake_parse_arguments(ARG "XVFB;WAYLAND;WAYLAND_WITHOUT_PORTAL;KWIN;GNOME" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(tests_${area} ${sources})
  add_dependencies(lumivane_tests tests_${area})
  if(ARG_XVFB)
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main_xvfb)
  elseif(ARG_WAYLAND)
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main_wayland)
  elseif(ARG_WAYLAND_WITHOUT_PORTAL)
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main_wayland_without_portal)
    set(ARG_WAYLAND TRUE)
  elseif(ARG_KWIN)
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main_kwin)
  elseif(ARG_GNOME)
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main_gnome)
  else()
    target_link_libraries(tests_${area} PRIVATE lumivane_test_main)
  endif()
  target_link_libraries(tests_${area} PRIVATE lumivane_test_support ${ARG_DEPS} GTest::gtest GTest::gmock Qt6::Test)
  lumivane_include_root(tests_root tests ${CMAKE_CURRENT_SOURCE_DIR})
  target_include_directories(tests_${area} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${tests_root})
  if(ARG_WAYLAND OR ARG_KWIN)
    # A desktop session takes seconds to start, so the executable is one ctest
    # test whose cases share one session (select cases with --gtest_filter).
    # The wlr screenshot backend writes one fixed file (/tmp/out.png) in every
    # session: executables that may take portal screenshots run one at a time.
    add_test(NAME ${area} COMMAND tests_${area})
    set_tests_properties(${area} PROPERTIES TIMEOUT 300 RESOURCE_LOCK lumivane_wayland_portal_screenshot)
    return()
  endif()
  if(ARG_GNOME)
    add_test(NAME ${area} COMMAND tests_${area})
    set_tests_properties(${area} PROPERTIES TIMEOUT 300)
    return()
  endif()
  # Test names start with the area ("browser.ChromiumCapture.X"), so ctest -R <area> selects one area.
  gtest_discover_tests(tests_${area} TEST_PREFIX "${area}." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
