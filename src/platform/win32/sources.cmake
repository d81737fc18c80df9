# The Windows platform layer; src/CMakeLists.txt includes this file on Windows.
target_sources(sizewalk_core PRIVATE
    platform/win32/errors.cpp
    platform/win32/file_service.cpp
    platform/win32/folder_service.cpp
    platform/win32/history_system.cpp
    platform/win32/long_path.cpp
    platform/win32/platform.cpp
    platform/win32/text.cpp
    platform/win32/volumes.cpp
)
# The drive list's network shares, the web link, its COM apartment.
target_link_libraries(sizewalk_core PUBLIC mpr shell32 ole32)

enable_language(RC)
set(SIZEWALK_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})

# The version resource shows as "2.00.0002": minor two digits, revision four.
string(LENGTH "${PROJECT_VERSION_MINOR}" _minor_digits)
string(LENGTH "${PROJECT_VERSION_PATCH}" _revision_digits)
math(EXPR _minor_pad "2 - ${_minor_digits}")
math(EXPR _revision_pad "4 - ${_revision_digits}")
string(REPEAT "0" ${_minor_pad} _minor_zeros)
string(REPEAT "0" ${_revision_pad} _revision_zeros)
set(SIZEWALK_RESOURCE_VERSION
    "${PROJECT_VERSION_MAJOR}.${_minor_zeros}${PROJECT_VERSION_MINOR}.${_revision_zeros}${PROJECT_VERSION_PATCH}")
set(SIZEWALK_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/sizewalk.ico)
set(SIZEWALK_MANIFEST ${SIZEWALK_WIN32_DIR}/sizewalk.manifest)
configure_file(${SIZEWALK_WIN32_DIR}/sizewalk.rc.in ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc
               @ONLY)

# The program: a Windows program (a scheduled run opens no console window)
# whose entry point reads the process command line itself, and opens the
# window when there is none.
function(sizewalk_add_win32_program name)
    add_executable(${name} WIN32
        ${PROJECT_SOURCE_DIR}/src/startup/main_win32.cpp
        ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc)
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc APPEND PROPERTY
                 OBJECT_DEPENDS ${SIZEWALK_ICON} ${SIZEWALK_MANIFEST})
    target_link_libraries(${name} PRIVATE sizewalk_window_win32)
    target_link_options(${name} PRIVATE -municode)
endfunction()
