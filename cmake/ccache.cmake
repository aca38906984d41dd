# Compiles go through ccache where it is installed (the tests install it):
# the full tier builds the same sources in several trees, and again in
# every run. Paths under the project's root are hashed relative to it, and
# the build directory is not hashed, so that two trees of the same sources
# and flags share their compiles (the default build and the order stage's
# clone); a hit's debug information then names the first tree's build
# directory.
find_program(CCACHE ccache)
if(CCACHE)
  get_filename_component(CCACHE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CCACHE_ROOT} CCACHE_NOHASHDIR=1 ${CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
endif()
