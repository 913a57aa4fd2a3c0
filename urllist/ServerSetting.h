#pragma once

// The scheme and host of Lumora's web server that the built-in line templates start
// with. Read from Configs/Garnet.ini in the program's folder:
//
//     [Server]
//     BaseUrl=https://www.lumora.example
//
// A missing file or key gives the default; a value that is not an http or https
// address of a host gives the default and a problem text for the user.

#include <QString>

#include <string>

struct ServerSetting
{
    std::string baseUrl; // GBK (ASCII in practice), without a final "/"
    std::string problem; // GBK; empty when nothing needs telling
};

std::string ServerSettingPath();
ServerSetting ReadServerSetting();
ServerSetting ReadServerSettingFile(const std::string &path);

// Accepts "http://host", "https://host:port" and the like, with an optional final "/";
// base receives the scheme and authority in a canonical ASCII form.
bool NormalizeServerBase(const QString &value, std::string &base);
