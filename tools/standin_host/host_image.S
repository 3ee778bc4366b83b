/* The host game's address range: a zero-filled, writable and executable section that the
   linker script places at the image's first page, so that the host's code, globals and
   records can sit at their fixed addresses. The stand-in's own sections follow it. */
        .section .hostimg, "bwx"
        .globl _standin_host_image
_standin_host_image:
        .space 0x8FF000
