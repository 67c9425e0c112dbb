// Thin wrappers over the SDL thread calls used to start and join a thread.
#pragma once

#include <SDL_thread.h>

typedef SDL_Thread* OSThread;

inline OSThread os_thread_create(SDL_ThreadFunction fn, const char* name, void* arg) {
  return SDL_CreateThread(fn, name ? name : "", arg);
}

inline int os_thread_join(OSThread thread) {
  int status = 0;
  if (thread) SDL_WaitThread(thread, &status);
  return status;
}
