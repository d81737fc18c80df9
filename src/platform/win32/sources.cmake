# The Windows platform layer; src/CMakeLists.txt includes this file on Windows.
target_sources(sizewalk_platform PRIVATE
    platform/win32/errors.cpp
    platform/win32/file_service.cpp
    platform/win32/folder_service.cpp
    platform/win32/history_system.cpp
    platform/win32/long_path.cpp
    platform/win32/message_pump.cpp
    platform/win32/platform.cpp
    platform/win32/reparse.cpp
    platform/win32/text.cpp
    platform/win32/volumes.cpp
    platform/win32/walk/directory_reader.cpp
    platform/win32/walk/parallel_listing.cpp
    platform/win32/walk/thread_choice.cpp
    platform/win32/walk/walk_queue.cpp
)
# The drive list's network shares.
target_link_libraries(sizewalk_platform PUBLIC mpr)

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

# The program, in two files: sizewalk.exe, a Windows program (a scheduled
# run opens no console window), and sizewalk.com, its console companion,
# which cmd and PowerShell find first for "sizewalk" (.COM comes before .EXE
# in PATHEXT) and wait for. Both read the process command line themselves;
# without one they open the window.
function(sizewalk_add_win32_programs)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${SIZEWALK_ICON} ${SIZEWALK_MANIFEST})
    add_executable(sizewalk WIN32 ${PROJECT_SOURCE_DIR}/src/startup/main_win32.cpp ${rc})
    add_executable(sizewalk_console ${PROJECT_SOURCE_DIR}/src/startup/console_main_win32.cpp ${rc})
    set_target_properties(sizewalk_console PROPERTIES OUTPUT_NAME sizewalk SUFFIX .com)
    foreach(program sizewalk sizewalk_console)
        target_link_libraries(${program} PRIVATE sizewalk_startup)
        sizewalk_layer(${program} startup)
        target_link_options(${program} PRIVATE -municode)
    endforeach()
endfunction()
