# Fails when any of FILES (a list) includes a platform header: the Windows, DirectDraw,
# multimedia, X11, POSIX-only or browser headers that belong in a front-end.
set(PLATFORM_HEADERS "windows|winuser|wingdi|ddraw|mmsystem|X11/[A-Za-z0-9_]+|unistd|fcntl|dlfcn|poll|dirent|termios|sys/[a-z_]+|pthread|emscripten(/[a-z_]+)?")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${PLATFORM_HEADERS})\\.h[>\"]")
  if(hits)
    message(FATAL_ERROR "${file} includes a platform header: ${hits}")
  endif()
endforeach()
