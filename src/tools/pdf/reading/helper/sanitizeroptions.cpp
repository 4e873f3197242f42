// Built into the helpers of the sanitizer build only. A helper starts with an empty environment,
// so these are its options: findings end it (the program then refuses the file, and the suite
// fails), a failed allocation returns null as without the sanitizer, and no leak check runs at
// exit, since the leak checker needs ptrace and a process of its own, which the confinement
// forbids.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0:allocator_may_return_null=1:detect_stack_use_after_return=1";
}

extern "C" const char *__ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}
