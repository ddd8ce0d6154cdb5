// winapi_stdcall_call(function, words, count): see stdcall_call.h.
// The caller's stack pointer is restored from the frame pointer after the
// call, so the result is right whether the callee removed its arguments
// (stdcall) or left them (cdecl).

#if defined(__i386__)
	.text
	.globl	winapi_stdcall_call
	.hidden	winapi_stdcall_call
	.type	winapi_stdcall_call, @function
winapi_stdcall_call:
	.cfi_startproc
	pushl	%ebp
	.cfi_def_cfa_offset 8
	.cfi_offset %ebp, -8
	movl	%esp, %ebp
	.cfi_def_cfa_register %ebp
	pushl	%esi
	.cfi_offset %esi, -12
	movl	12(%ebp), %esi		// words
	movl	16(%ebp), %ecx		// count
	leal	0(,%ecx,4), %eax
	subl	%eax, %esp
	andl	$-16, %esp
	xorl	%edx, %edx
1:	cmpl	%ecx, %edx
	jae	2f
	movl	(%esi,%edx,4), %eax
	movl	%eax, (%esp,%edx,4)
	incl	%edx
	jmp	1b
2:	call	*8(%ebp)
	leal	-4(%ebp), %esp
	popl	%esi
	.cfi_restore %esi
	popl	%ebp
	.cfi_def_cfa %esp, 4
	.cfi_restore %ebp
	ret
	.cfi_endproc
	.size	winapi_stdcall_call, .-winapi_stdcall_call

#elif defined(__x86_64__)
	.text
	.globl	winapi_stdcall_call
	.hidden	winapi_stdcall_call
	.type	winapi_stdcall_call, @function
winapi_stdcall_call:
	.cfi_startproc
	pushq	%rbp
	.cfi_def_cfa_offset 16
	.cfi_offset %rbp, -16
	movq	%rsp, %rbp
	.cfi_def_cfa_register %rbp
	movq	%rdi, %r11		// function
	movq	%rsi, %r10		// words
	movq	%rdx, %rax		// count
	// Words past the sixth go on the stack, the seventh lowest.
	xorl	%ecx, %ecx
	cmpq	$6, %rax
	jbe	1f
	leaq	-6(%rax), %rcx
1:	leaq	0(,%rcx,8), %rdx
	subq	%rdx, %rsp
	andq	$-16, %rsp
	xorl	%edx, %edx
2:	cmpq	%rcx, %rdx
	jae	3f
	movq	48(%r10,%rdx,8), %rsi
	movq	%rsi, (%rsp,%rdx,8)
	incq	%rdx
	jmp	2b
	// The first six in registers; those not given are zero.
3:	xorl	%edi, %edi
	xorl	%esi, %esi
	xorl	%edx, %edx
	xorl	%ecx, %ecx
	xorl	%r8d, %r8d
	xorl	%r9d, %r9d
	cmpq	$1, %rax
	jb	4f
	movq	(%r10), %rdi
	je	4f
	movq	8(%r10), %rsi
	cmpq	$3, %rax
	jb	4f
	movq	16(%r10), %rdx
	je	4f
	movq	24(%r10), %rcx
	cmpq	$5, %rax
	jb	4f
	movq	32(%r10), %r8
	je	4f
	movq	40(%r10), %r9
4:	xorl	%eax, %eax		// no vector registers, should the callee be variadic
	call	*%r11
	movq	%rbp, %rsp
	popq	%rbp
	.cfi_def_cfa %rsp, 8
	ret
	.cfi_endproc
	.size	winapi_stdcall_call, .-winapi_stdcall_call
#endif

	.section .note.GNU-stack,"",@progbits
