/* The built-in default content: the generated pack and module, carried in the
   program's read-only data. */
    .section .rodata
    .balign 16
    .global vorn_builtin_pack_begin
    .global vorn_builtin_pack_end
vorn_builtin_pack_begin:
    .incbin VORN_BUILTIN_PACK
vorn_builtin_pack_end:
    .balign 16
    .global vorn_builtin_module_begin
    .global vorn_builtin_module_end
vorn_builtin_module_begin:
    .incbin VORN_BUILTIN_MODULE
vorn_builtin_module_end:
    .section .note.GNU-stack,"",@progbits
