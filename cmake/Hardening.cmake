# The usual hardening of a Debian binary: fortified library calls, stack protection, read-only
# relocations bound at start. Not for the sanitizer and fuzzer builds, which instrument instead.
option(LUMENOR_HARDEN "Build with the usual hardening flags" ON)
if(LUMENOR_HARDEN AND NOT LUMENOR_SANITIZE AND NOT LUMENOR_FUZZ)
  add_compile_options(-fstack-protector-strong
                      "$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
