# Sourced by scripts that prepare a plugin folder: write_settings_file FILE
# SERVER FORM_PATH writes a plugin.ini naming that server and form path, laid
# out as the plugin itself writes the file (CRLF line ends).
write_settings_file() {
  printf '[WinAmp Tunewire Basic]\r\nServerName=%s\r\nFormHandler=%s\r\n' "$2" "$3" >"$1"
}
