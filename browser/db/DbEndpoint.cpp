#include "DbEndpoint.h"

#include "ConnectionString.h"
#include "DbTexts.h"

#include "common/Codec.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

bool matches(const ConnectionStringItem &item, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view name) {
        return EqualsIgnoringAsciiCase(item.key, name);
    });
}

bool fail(DbError &error, std::uint32_t native, std::string description)
{
    error = MakeLayerError(native, std::move(description));
    return false;
}

bool parsePort(const std::string &text, int &port)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

bool validSslMode(const std::string &mode)
{
    for (const char *known :
         {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"}) {
        if (EqualsIgnoringAsciiCase(mode, known))
            return true;
    }
    return false;
}

} // namespace

bool ParseDbEndpoint(const std::string &connectionString, DbEndpoint &endpoint, DbError &error)
{
    std::vector<ConnectionStringItem> items;
    std::string fault;
    if (!ParseConnectionString(connectionString, items, fault))
        return fail(error, LayerError::BadConnectionString, fault);

    const ConnectionStringItem *provider = FindConnectionItem(items, {"Provider"});
    if (!provider)
        return fail(error, LayerError::BadConnectionString, Gbk::literal(DbText::MissingProvider));

    endpoint = DbEndpoint();
    if (EqualsIgnoringAsciiCase(provider->value, "SQLite"))
        endpoint.engine = DbEngine::SQLite;
    else if (EqualsIgnoringAsciiCase(provider->value, "PostgreSQL"))
        endpoint.engine = DbEngine::PostgreSQL;
    else
        return fail(
                error, LayerError::UnknownProvider,
                FormatText(Gbk::literal(DbText::ProviderNamed).c_str(), provider->value.c_str()));

    bool hasDataSource = false;
    for (const ConnectionStringItem &item : items) {
        if (matches(item, {"Provider"}))
            continue;
        if (endpoint.engine == DbEngine::SQLite && matches(item, {"Data Source"})) {
            endpoint.dataSource = item.value;
            hasDataSource = !item.value.empty();
        } else if (endpoint.engine == DbEngine::PostgreSQL && matches(item, {"Host", "Server"})) {
            endpoint.host = item.value;
        } else if (endpoint.engine == DbEngine::PostgreSQL && matches(item, {"Port"})) {
            if (!parsePort(item.value, endpoint.port))
                return fail(error, LayerError::BadConnectionString,
                            FormatText(Gbk::literal(DbText::BadPort).c_str(), item.value.c_str()));
        } else if (endpoint.engine == DbEngine::PostgreSQL && matches(item, {"Database"})) {
            endpoint.database = item.value;
        } else if (endpoint.engine == DbEngine::PostgreSQL
                   && matches(item, {"User ID", "User", "UID", "Username"})) {
            endpoint.user = item.value;
        } else if (endpoint.engine == DbEngine::PostgreSQL && matches(item, {"Password", "Pwd"})) {
            endpoint.password = item.value;
            endpoint.hasPassword = true;
        } else if (endpoint.engine == DbEngine::PostgreSQL
                   && matches(item, {"SSL Mode", "SslMode"})) {
            if (!validSslMode(item.value))
                return fail(
                        error, LayerError::BadConnectionString,
                        FormatText(Gbk::literal(DbText::BadSslMode).c_str(), item.value.c_str()));
            endpoint.sslMode = item.value;
        } else {
            return fail(error, LayerError::BadConnectionString,
                        FormatText(Gbk::literal(DbText::UnknownKey).c_str(),
                                   provider->value.c_str(), item.key.c_str()));
        }
    }
    if (endpoint.engine == DbEngine::SQLite && !hasDataSource)
        return fail(error, LayerError::BadConnectionString,
                    Gbk::literal(DbText::MissingDataSource));
    return true;
}

std::string TableNameAsLookedUp(const std::string &connectionString, const std::string &table)
{
    DbEndpoint endpoint;
    DbError error;
    if (!ParseDbEndpoint(connectionString, endpoint, error)
        || endpoint.engine != DbEngine::PostgreSQL)
        return table;
    std::string folded = table;
    // ASCII letters only; the trail byte of a double-byte character may have a letter's
    // code and stays as it is.
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (c >= 0x80)
            ++i; // a lead byte: its trail byte stays as it is
        else if (c >= 'A' && c <= 'Z')
            folded[i] = char(c - 'A' + 'a');
    }
    return folded;
}
