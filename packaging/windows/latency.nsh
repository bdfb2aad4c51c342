  ; The logger's adapter (USB 0FE3:6002) hands received bytes on after its
  ; latency timer, 16 ms by default: every line of a firmware update would
  ; wait that long for its answer. Where the FTDI driver has already made the
  ; adapter's key (the logger was plugged in once), set the timer to 1 ms. A
  ; key the installer may not write is left as it is.
  SetRegView 64
  StrCpy $R0 0
  zelt_latency_next:
    ClearErrors
    EnumRegKey $R1 HKLM "SYSTEM\CurrentControlSet\Enum\FTDIBUS" $R0
    IfErrors zelt_latency_done
    StrCmp $R1 "" zelt_latency_done
    IntOp $R0 $R0 + 1
    StrCpy $R2 $R1 17
    StrCmp $R2 "VID_0FE3+PID_6002" 0 zelt_latency_next
    ClearErrors
    ReadRegDWORD $R3 HKLM "SYSTEM\CurrentControlSet\Enum\FTDIBUS\$R1\0000\Device Parameters" "LatencyTimer"
    IfErrors zelt_latency_next
    WriteRegDWORD HKLM "SYSTEM\CurrentControlSet\Enum\FTDIBUS\$R1\0000\Device Parameters" "LatencyTimer" 1
    Goto zelt_latency_next
  zelt_latency_done:
