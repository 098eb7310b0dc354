#include "standin/oci/nls_names.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "standin/oci/immortal.h"

namespace qzoci {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

const std::set<std::string>& Languages() {
  static Immortal<std::set<std::string>> names(std::set<std::string>{
      "ALBANIAN", "AMERICAN", "ARABIC", "ASSAMESE", "AZERBAIJANI", "BANGLA", "BELARUSIAN", "BENGALI",
      "BRAZILIAN PORTUGUESE", "BULGARIAN", "CANADIAN FRENCH", "CATALAN", "CROATIAN", "CYRILLIC KAZAKH",
      "CYRILLIC SERBIAN", "CYRILLIC UZBEK", "CZECH", "DANISH", "DUTCH", "EGYPTIAN", "ENGLISH", "ESTONIAN", "FINNISH",
      "FRENCH", "GERMAN", "GERMAN DIN", "GREEK", "GUJARATI", "HEBREW", "HINDI", "HUNGARIAN", "ICELANDIC",
      "INDONESIAN", "IRISH", "ITALIAN", "JAPANESE", "KANNADA", "KOREAN", "LATIN AMERICAN SPANISH", "LATIN SERBIAN",
      "LATIN UZBEK", "LATVIAN", "LITHUANIAN", "MACEDONIAN", "MALAY", "MALAYALAM", "MARATHI", "MEXICAN SPANISH",
      "NORWEGIAN", "ORIYA", "POLISH", "PORTUGUESE", "PUNJABI", "ROMANIAN", "RUSSIAN", "SIMPLIFIED CHINESE", "SLOVAK",
      "SLOVENIAN", "SPANISH", "SWEDISH", "TAMIL", "TELUGU", "THAI", "TRADITIONAL CHINESE", "TURKISH", "UKRAINIAN",
      "VIETNAMESE"});
  return *names;
}

const std::set<std::string>& Territories() {
  static Immortal<std::set<std::string>> names(std::set<std::string>{
      "ALGERIA", "AMERICA", "ARGENTINA", "AUSTRALIA", "AUSTRIA", "BAHRAIN", "BANGLADESH", "BELGIUM", "BRAZIL",
      "BULGARIA", "CANADA", "CATALONIA", "CHILE", "CHINA", "COLOMBIA", "COSTA RICA", "CROATIA", "CYPRUS",
      "CZECH REPUBLIC", "DENMARK", "ECUADOR", "EGYPT", "EL SALVADOR", "ESTONIA", "FINLAND", "FRANCE", "FYR MACEDONIA",
      "GERMANY", "GREECE", "GUATEMALA", "HONG KONG", "HUNGARY", "ICELAND", "INDIA", "INDONESIA", "IRAQ", "IRELAND",
      "ISRAEL", "ITALY", "JAPAN", "JORDAN", "KAZAKHSTAN", "KOREA", "KUWAIT", "LATVIA", "LEBANON", "LIBYA",
      "LITHUANIA", "LUXEMBOURG", "MALAYSIA", "MEXICO", "MOROCCO", "NEW ZEALAND", "NICARAGUA", "NORWAY", "OMAN",
      "PANAMA", "PERU", "PHILIPPINES", "POLAND", "PORTUGAL", "PUERTO RICO", "QATAR", "ROMANIA", "RUSSIA",
      "SAUDI ARABIA", "SERBIA AND MONTENEGRO", "SINGAPORE", "SLOVAKIA", "SLOVENIA", "SOUTH AFRICA", "SPAIN", "SUDAN",
      "SWEDEN", "SWITZERLAND", "SYRIA", "TAIWAN", "THAILAND", "THE NETHERLANDS", "TUNISIA", "TURKEY", "UKRAINE",
      "UNITED ARAB EMIRATES", "UNITED KINGDOM", "UZBEKISTAN", "VENEZUELA", "VIETNAM", "YEMEN"});
  return *names;
}

}  // namespace

bool IsKnownNlsLanguage(const std::string& name) { return Languages().count(Upper(name)) != 0; }
bool IsKnownNlsTerritory(const std::string& name) { return Territories().count(Upper(name)) != 0; }

}  // namespace qzoci
