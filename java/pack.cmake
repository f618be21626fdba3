# Packs the libraries into the jar, each under its platform's directory with its size and CRC-32,
# once it is sure that each is a whole ELF shared object of that platform's class, byte order and
# machine (and, for 32-bit ARM, float ABI): no library can ever be packed in another platform's place.
# The jar is written anew from the classes and the libraries, as jar.cmake writes one.
#   cmake -DCLASSES=classes.jar -DJAR=out.jar -DJAR_TOOL=jar -DSTAGE=dir -DEPOCH=seconds -DMANIFEST=file
#         -DMAIN_CLASS=class -DLIBRARIES=linux-x86_64=/path/libvokrane.so;linux-aarch64=/path/libvokrane.so -P pack.cmake
# Each platform's ELF class (1: 32-bit, 2: 64-bit), byte order (1: little, 2: big), e_machine, and
# the float ABI bits of e_flags where they tell two platforms apart (EF_ARM_ABI_FLOAT_HARD, _SOFT).
set(elf_linux-x86_64 2 1 62)
set(elf_linux-x86_64-musl 2 1 62)
set(elf_linux-aarch64 2 1 183)
set(elf_linux-aarch64-musl 2 1 183)
set(elf_linux-x86 1 1 3)
set(elf_linux-arm 1 1 40 1024)
set(elf_linux-armel 1 1 40 512)
set(elf_linux-ppc64le 2 1 21)
set(elf_linux-s390x 2 2 22)
set(elf_linux-riscv64 2 1 243)

# The unsigned number of `length` bytes at `offset` of the hex dump `header`, in `order`.
function(read_number header offset length order result)
  math(EXPR offset "${offset} * 2")
  math(EXPR length "${length} * 2")
  string(SUBSTRING "${header}" ${offset} ${length} bytes)
  string(REGEX MATCHALL ".." bytes "${bytes}")
  if(order EQUAL 1)
    list(REVERSE bytes)
  endif()
  string(JOIN "" value ${bytes})
  math(EXPR value "0x${value}")
  set(${result} ${value} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${STAGE})
foreach(entry IN LISTS LIBRARIES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 platform)
  list(GET parts 1 library)
  if(NOT DEFINED elf_${platform})
    message(FATAL_ERROR "no platform ${platform}")
  endif()
  list(GET elf_${platform} 0 class)
  list(GET elf_${platform} 1 order)
  list(GET elf_${platform} 2 machine)
  file(READ ${library} header LIMIT 64 HEX)
  string(SUBSTRING "${header}" 0 8 magic)
  read_number("${header}" 4 1 1 found_class)
  read_number("${header}" 5 1 1 found_order)
  read_number("${header}" 16 2 ${order} type)
  read_number("${header}" 18 2 ${order} found_machine)
  set(matches NO)
  if(magic STREQUAL "7f454c46" AND found_class EQUAL class AND found_order EQUAL order AND type EQUAL 3
     AND found_machine EQUAL machine)
    set(matches YES)
  endif()
  # e_flags, and the section table's offset, entry size and count, where each class keeps them.
  if(class EQUAL 1)
    set(fields flags 36 4 section_table 32 4 entry_size 46 2 entries 48 2)
  else()
    set(fields flags 48 4 section_table 40 8 entry_size 58 2 entries 60 2)
  endif()
  while(fields)
    list(POP_FRONT fields field offset length)
    read_number("${header}" ${offset} ${length} ${order} ${field})
  endwhile()
  list(LENGTH elf_${platform} described)
  if(described EQUAL 4)
    list(GET elf_${platform} 3 float_abi)
    math(EXPR found_float_abi "${flags} & 1536")
    if(NOT found_float_abi EQUAL float_abi)
      set(matches NO)
    endif()
  endif()
  if(NOT matches)
    message(FATAL_ERROR "${library} is not a shared object for ${platform} (ELF header ${header})")
  endif()
  # A file cut short loads as far as the dynamic loader reads, then crashes the VM that maps it
  # (SIGBUS): the section table, which comes last, must be whole.
  math(EXPR whole_size "${section_table} + ${entry_size} * ${entries}")
  file(SIZE ${library} size)
  if(size LESS whole_size)
    message(FATAL_ERROR "${library} is cut short: ${size} bytes, where its section table ends at ${whole_size}")
  endif()
  file(MAKE_DIRECTORY ${STAGE}/com/vok/native/${platform})
  file(COPY_FILE ${library} ${STAGE}/com/vok/native/${platform}/libvokrane.so)
  # Beside it, its size and CRC-32 for the loader to check the copy it extracts: a damaged library
  # would crash the VM in the dynamic loader. gzip's trailer holds both, little-endian.
  execute_process(COMMAND gzip -c ${library} OUTPUT_FILE ${STAGE}/${platform}.gz COMMAND_ERROR_IS_FATAL ANY)
  file(SIZE ${STAGE}/${platform}.gz compressed_size)
  math(EXPR trailer "${compressed_size} - 8")
  file(READ ${STAGE}/${platform}.gz crc LIMIT 4 OFFSET ${trailer} HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" crc "${crc}")
  file(WRITE ${STAGE}/com/vok/native/${platform}/libvokrane.so.crc32 "${size} ${crc}\n")
  file(REMOVE ${STAGE}/${platform}.gz)
endforeach()
file(ARCHIVE_EXTRACT INPUT ${CLASSES} DESTINATION ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -DDIR=${STAGE} -DJAR=${JAR} -DJAR_TOOL=${JAR_TOOL} -DEPOCH=${EPOCH}
    -DMANIFEST=${MANIFEST} -DMAIN_CLASS=${MAIN_CLASS} -P ${CMAKE_CURRENT_LIST_DIR}/jar.cmake
  COMMAND_ERROR_IS_FATAL ANY)
