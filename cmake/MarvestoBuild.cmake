# Build conventions shared by every target of the project.

# ccache, when installed. Precompiled headers need the pch sloppiness to hit.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER
      ${CMAKE_COMMAND} -E env CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

add_compile_options(-Wall -Wextra)
add_compile_definitions(QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)

if(MARVESTO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

set(MARVESTO_PCH_HEADERS
    <QString> <QByteArray> <QVariant> <QVariantMap> <QVariantList> <QDateTime> <QObject>
    <QStringList> <QHash> <QMap> <QList> <QDebug>
    <memory> <functional> <optional> <string> <vector> <map> <algorithm>)

# marvesto_use_pch(target): precompiled Qt and standard headers.
function(marvesto_use_pch target)
  target_precompile_headers(${target} PRIVATE ${MARVESTO_PCH_HEADERS})
endfunction()

# marvesto_subsystem(name [SHARED] DEPS ... [EXCLUDE_DIRS ...]): one library per
# source folder, all sources of the folder (and its sub-folders, except those
# named in EXCLUDE_DIRS, which are libraries of their own) included. Headers are
# included as "<folder>/<Header>.h" from src/.
function(marvesto_subsystem name)
  cmake_parse_arguments(ARG "SHARED" "OUTPUT_NAME" "DEPS;PRIVATE_DEPS;EXCLUDE_DIRS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  foreach(dir ${ARG_EXCLUDE_DIRS})
    list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${dir}/")
  endforeach()
  if(ARG_SHARED)
    add_library(${name} SHARED ${sources})
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET default)
  else()
    add_library(${name} STATIC ${sources})
  endif()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  marvesto_use_pch(${name})
endfunction()

# marvesto_test(name DEPS ...): one GoogleTest executable per subsystem, built
# from every *.cpp of tests/<name>/ and registered with CTest. The test sources
# are compiled a few at a time in one translation unit (a unity build): most of
# a test file's compile time is the headers it shares with its neighbours. So
# helpers in a test file's anonymous namespace need names of their own within
# the folder, or go into the folder's shared test header.
# LOCKED <gtest filter> <lock>: the tests the filter names run under a CTest
# RESOURCE_LOCK of that name (a fixed port), the others as usual.
function(marvesto_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LOCKED" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(target test_${name})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} marvesto_testsupport GTest::gtest GTest::gmock)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE
      MARVESTO_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
      MARVESTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  marvesto_use_pch(${target})
  if(MARVESTO_UNITY_TESTS)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 6)
    # Inside a unity unit GCC takes each test file for a header and warns of
    # fixtures in anonymous namespaces; in a test file of its own that is fine.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  set(environment "QT_QPA_PLATFORM=offscreen;MARVESTO_TEST_ARTIFACTS=${PROJECT_BINARY_DIR}/test-artifacts")
  if(ARG_LOCKED)
    list(GET ARG_LOCKED 0 filter)
    list(GET ARG_LOCKED 1 lock)
    gtest_discover_tests(${target} TEST_FILTER "-${filter}"
        PROPERTIES ENVIRONMENT "${environment}" DISCOVERY_TIMEOUT 60)
    gtest_discover_tests(${target} TEST_FILTER "${filter}"
        PROPERTIES ENVIRONMENT "${environment}" RESOURCE_LOCK ${lock} DISCOVERY_TIMEOUT 60)
  else()
    gtest_discover_tests(${target} PROPERTIES ENVIRONMENT "${environment}" DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# marvesto_interface_bundle(target bundle): compiles the interface files of
# data/ui/<bundle>/ and the images of data/images/<bundle>/ into the target's
# resources, as ":/ui/<bundle>/<Name>.ui" and ":/images/<bundle>/<name>.<ext>"
# (images and ".pol" artwork sets),
# where platform::gui finds them by name.
function(marvesto_interface_bundle target bundle)
  foreach(kind ui images)
    file(GLOB files CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/data/${kind}/${bundle}/*.ui
         ${PROJECT_SOURCE_DIR}/data/${kind}/${bundle}/*.png
         ${PROJECT_SOURCE_DIR}/data/${kind}/${bundle}/*.svg
         ${PROJECT_SOURCE_DIR}/data/${kind}/${bundle}/*.pol)
    if(files)
      list(SORT files)
      # Forms are loaded at run time, never compiled into classes.
      set_source_files_properties(${files} PROPERTIES SKIP_AUTOGEN ON)
      qt_add_resources(${target} "marvesto_${kind}_${bundle}"
          PREFIX "/${kind}/${bundle}"
          BASE ${PROJECT_SOURCE_DIR}/data/${kind}/${bundle}
          FILES ${files})
    endif()
  endforeach()
endfunction()
