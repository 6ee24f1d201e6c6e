# Cross-builds the Windows programs of win/ when the mingw-w64 compilers are installed.
# Results, for install rules and tests:
#   STORMFETCH_LINK_HELPERS   full paths of the built helpers (beside the stormfetch executable)
#   STORMFETCH_STANDIN_EXE    the 64-bit stand-in automation server (empty when not built)
#   target stormfetch_windows depends on every Windows build
include(ExternalProject)
set(STORMFETCH_LINK_HELPERS "")
set(STORMFETCH_STANDIN_EXE "")
add_custom_target(stormfetch_windows)

foreach(arch IN ITEMS x86_64 i686)
  find_program(STORMFETCH_MINGW_${arch} ${arch}-w64-mingw32-g++)
  if(NOT STORMFETCH_MINGW_${arch})
    message(STATUS "No ${arch}-w64-mingw32-g++: the ${arch} map-program helper is not built")
    continue()
  endif()
  if(arch STREQUAL "x86_64")
    set(bits 64)
    # The tests run 64-bit Wine only. The stand-in needs widl and Wine's oaidl.idl
    # (mingw-w64-tools, libwine-dev); without them only the helper is built.
    find_program(STORMFETCH_WIDL NAMES x86_64-w64-mingw32-widl widl)
    find_path(STORMFETCH_WINE_IDL oaidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows)
    if(STORMFETCH_WIDL AND STORMFETCH_WINE_IDL)
      set(standin ON)
    else()
      set(standin OFF)
      message(STATUS "No widl or Wine's oaidl.idl: the stand-in server for the Wine tests is not built")
    endif()
  else()
    set(bits 32)
    set(standin OFF)
  endif()
  set(name stormfetch-link${bits})
  set(products ${CMAKE_BINARY_DIR}/${name}.exe)
  if(standin)
    list(APPEND products ${CMAKE_BINARY_DIR}/win${bits}/standin.exe)
    set(STORMFETCH_STANDIN_EXE ${CMAKE_BINARY_DIR}/win${bits}/standin.exe)
  endif()
  ExternalProject_Add(stormfetch_win${bits}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/win
    BINARY_DIR ${CMAKE_BINARY_DIR}/win${bits}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/win/toolchain-${arch}.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DSTORMFETCH_LINK_NAME=${name}
               -DSTORMFETCH_LINK_DIR=${CMAKE_BINARY_DIR}
               -DSTORMFETCH_STANDIN=${standin}
               -DSTORMFETCH_WERROR=${STORMFETCH_WERROR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${products}
    USES_TERMINAL_BUILD OFF)
  add_dependencies(stormfetch_windows stormfetch_win${bits})
  list(APPEND STORMFETCH_LINK_HELPERS ${CMAKE_BINARY_DIR}/${name}.exe)
endforeach()
