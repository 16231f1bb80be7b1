// The guard on 64-bit Windows: a function whose unwind information names a
// language handler (tovra_fault_guard_handler, in FaultGuardX64.cpp). The
// system asks it only for exceptions that every frame of the call declined.
//
//   int tovra_guarded_call(void (*call)(void *), void *context, GuardedFault *fault)
//
// returns 1 when the call returned, 0 when the handler unwound to
// tovra_fault_guard_resume. The fault pointer is kept in the frame, where the
// handler finds it from the establisher frame.
    .text
    .globl tovra_guarded_call
    .def tovra_guarded_call; .scl 2; .type 32; .endef
    .seh_proc tovra_guarded_call
tovra_guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler tovra_fault_guard_handler, @except
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    movl $1, %eax
    jmp 1f
    .globl tovra_fault_guard_resume
tovra_fault_guard_resume:
    xorl %eax, %eax
1:
    addq $40, %rsp
    ret
    .seh_endproc
