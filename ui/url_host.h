#pragma once
#include <string>

// The host name of a URL: what follows "scheme://" (and any "user@"), up to
// the port, path, query or fragment. A text without "://" is read from its
// start.
std::string url_host(const std::string& url);
