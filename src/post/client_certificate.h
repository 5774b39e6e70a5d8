// Sending a post to a server that may offer client-certificate login. Such a
// server makes WinInet stop before the request goes out, asking the caller to
// choose a certificate; the plugin has none to choose.
#pragma once

#include <string>

#include "http/http_file.h"

// Sends the request with one extra header text and `body`. When WinInet asks
// for a client certificate (12044), it is told to go on without one and the
// request is sent once more; a second 12044 raises like any failure.
void SendWithoutClientCertificate(CHttpFile& request, const std::string& headers,
                                  const std::string& body);
