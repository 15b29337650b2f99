/* Runs a program and prints its peak resident memory in KiB (ru_maxrss) on standard error.
 *
 *   peak_memory <program> <argument>...
 *
 * Peak memory carries over from the process that forks the program, so a large parent (Python, say)
 * would hide a small program's own peak; this small launcher keeps that floor at about a megabyte. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  pid_t child = fork();
  if (child == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return 2;
  fprintf(stderr, "%ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
