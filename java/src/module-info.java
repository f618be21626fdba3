// The module of libvokrane's Java side; Terminal's SIGINT guard needs jdk.unsupported's sun.misc.
/** Run a program on this VM's terminal and wait for it to end: see {@link com.vok.LinuxNative}. */
module com.vok {
    exports com.vok;
    requires jdk.unsupported;
}
