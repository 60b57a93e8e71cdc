#include <Kestrum/File.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/Types/TimeSpan.h>
#include <Olyx/Zel/Capability/Types/TimeUnitEnum.h>
#include <Olyx/Zel/Profile/IofilterInfo.h>
#include <ZelSample/Inventory.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <set>
#include <stdexcept>

namespace ZelSample {

InventoryError::InventoryError(const std::string& source, size_t line, const std::string& reason)
    : std::runtime_error(source + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                         reason),
      _line(line),
      _reason(reason) {}

namespace {

// A time span offer, "COUNT:UNIT" (e.g. "1:HOURS"): a positive count of 32
// bits and a time unit's wire string. Throws std::invalid_argument, saying
// why, for anything else.
Lumo::Any* MakeTimeSpanOffer(const std::string& count, const std::string& unit) {
  namespace T = Zel::Capability::Types;
  static const char* const kUnits[] = {
      T::TIMEUNITENUM_SECONDS, T::TIMEUNITENUM_MINUTES, T::TIMEUNITENUM_HOURS, T::TIMEUNITENUM_DAYS,
      T::TIMEUNITENUM_WEEKS,   T::TIMEUNITENUM_MONTHS,  T::TIMEUNITENUM_YEARS};
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(count.c_str(), &end, 10);
  if (count.empty() || *end != '\0' || errno != 0 || value <= 0 ||
      value > std::numeric_limits<int32_t>::max()) {
    throw std::invalid_argument("\"" + count +
                                "\" is not a positive count of 32 bits for a time span");
  }
  for (const char* known : kUnits) {
    if (unit == known) {
      auto* span = new T::TimeSpan;
      span->SetValue(static_cast<int32_t>(value));
      span->SetUnit(known);
      return span;
    }
  }
  throw std::invalid_argument(
      "\"" + unit + "\" is not a time unit (SECONDS, MINUTES, HOURS, DAYS, WEEKS, MONTHS, YEARS)");
}

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("._:@/-+", c) != nullptr;
}

bool IsOddKey(const std::string& key) {
  if (key.empty()) return false;
  char last = key.back();
  return last >= '0' && last <= '9' && (last - '0') % 2 == 1;
}

bool ParseInteger(const std::string& word, int64_t min, int64_t max, int64_t& value) {
  if (word.empty() || word.size() > 20) return false;
  size_t start = word[0] == '-' ? 1 : 0;
  if (start == word.size()) return false;
  for (size_t i = start; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
  }
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < min || parsed > max) return false;
  value = parsed;
  return true;
}

bool LooksNumeric(const std::string& word) {
  return !word.empty() && (word[0] == '-' || (word[0] >= '0' && word[0] <= '9'));
}

}  // namespace

// Reads the statements of one text into an inventory.
class InventoryParser {
 public:
  InventoryParser(Inventory& into, const std::string& source) : _inv(into), _source(source) {}

  void Parse(const std::string& text) {
    if (text.size() > Inventory::kMaxFileBytes) {
      Fail(0,
           "the inventory is larger than " + std::to_string(Inventory::kMaxFileBytes) + " bytes");
    }
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      ++_line;
      Statement(text.substr(start, end - start));
      start = end + 1;
    }
    if (_inv._hubs.empty()) Fail(0, "the inventory declares no hub");
  }

 private:
  [[noreturn]] void Fail(size_t line, const std::string& reason) const {
    throw InventoryError(_source, line, reason);
  }
  [[noreturn]] void Fail(const std::string& reason) const { Fail(_line, reason); }

  std::vector<std::string> Split(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > Inventory::kMaxLineBytes) {
      Fail("the line is longer than " + std::to_string(Inventory::kMaxLineBytes) + " bytes");
    }
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
      char c = line[i];
      if (c == ' ' || c == '\t') {
        ++i;
        continue;
      }
      if (c == '#') {
        if (!words.empty()) Fail("a comment must stand on a line of its own");
        break;
      }
      size_t begin = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
        if (!IsWordChar(line[i])) {
          char shown[8];
          std::snprintf(shown, sizeof shown, "0x%02x", static_cast<unsigned char>(line[i]));
          Fail(std::string("unexpected character ") + shown + " in a word (words are letters, " +
               "digits and . _ : @ / - +)");
        }
        ++i;
      }
      if (i - begin > Inventory::kMaxWordBytes) {
        Fail("a word is longer than " + std::to_string(Inventory::kMaxWordBytes) + " bytes");
      }
      words.push_back(line.substr(begin, i - begin));
    }
    return words;
  }

  void Count(const std::vector<std::string>& words, size_t min, size_t max, const char* usage) {
    if (words.size() < min || words.size() > max) {
      Fail("\"" + words[0] + "\" takes the form: " + usage);
    }
  }

  InventoryHub& Hub(const std::string& id) {
    auto it = _inv._hubIndex.find(id);
    if (it == _inv._hubIndex.end()) Fail("no hub \"" + id + "\" is declared above");
    return _inv._hubs[it->second];
  }

  void NewKey(const std::string& key) {
    if (!_keys.insert(key).second) Fail("\"" + key + "\" is declared twice");
  }

  void Statement(const std::string& text) {
    std::vector<std::string> w = Split(text);
    if (w.empty()) return;
    const std::string& kind = w[0];
    if (kind == "hub") {
      Count(w, 3, 4, "hub ID TYPE [legacy]");
      if (w.size() == 4 && w[3] != "legacy") Fail("unknown hub flag \"" + w[3] + "\"");
      NewKey(w[1]);
      InventoryHub hub;
      hub.id = w[1];
      hub.type = w[2];
      hub.legacy = w.size() == 4;
      _inv._hubIndex[hub.id] = _inv._hubs.size();
      _inv._hubs.push_back(std::move(hub));
    } else if (kind == "space") {
      Count(w, 4, 4, "space HUB TOTAL_MB FREE_MB");
      InventoryHub& hub = Hub(w[1]);
      int64_t total = 0;
      int64_t free = 0;
      const int64_t max = int64_t{1} << 50;
      if (!ParseInteger(w[2], 0, max, total)) Fail("\"" + w[2] + "\" is not a size in MB");
      if (!ParseInteger(w[3], 0, max, free)) Fail("\"" + w[3] + "\" is not a size in MB");
      if (free > total) Fail("the free space is larger than the total");
      hub.totalMB = total;
      hub.freeMB = free;
    } else if (kind == "access") {
      Count(w, 3, 3, "access HUB accessible|partiallyAccessible|notAccessible");
      if (w[2] != "accessible" && w[2] != "partiallyAccessible" && w[2] != "notAccessible") {
        Fail("unknown accessibility \"" + w[2] + "\"");
      }
      Hub(w[1]).accessibility = w[2];
    } else if (kind == "offer") {
      Count(w, 5, 6, "offer HUB NAMESPACE CAPABILITY [PROPERTY] VALUE");
      InventoryHub& hub = Hub(w[1]);
      InventoryOffer offer;
      offer.ns = w[2];
      offer.capability = w[3];
      offer.property = w.size() == 6 ? w[4] : w[3];
      const std::string& value = w.back();
      int64_t number = 0;
      size_t colon = value.find(':');
      if (value == "true" || value == "false") {
        offer.value = Lumo::BoxBool(value == "true");
      } else if (colon != std::string::npos) {
        try {
          offer.value = MakeTimeSpanOffer(value.substr(0, colon), value.substr(colon + 1));
        } catch (const std::invalid_argument& e) {
          Fail(e.what());
        }
      } else if (ParseInteger(value, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max(), number)) {
        offer.value = new Lumo::Primitive<int32_t>(static_cast<int32_t>(number));
      } else if (LooksNumeric(value)) {
        Fail("\"" + value + "\" is not an integer of 32 bits");
      } else {
        offer.value = new Lumo::Primitive<std::string>(value);
      }
      for (const InventoryOffer& other : hub.offers) {
        if (other.ns == offer.ns && other.capability == offer.capability &&
            other.property == offer.property) {
          Fail("the hub " + hub.id + " already offers " + offer.capability + "." + offer.property);
        }
      }
      hub.offers.push_back(std::move(offer));
    } else if (kind == "vm") {
      Count(w, 3, 3, "vm KEY HUB");
      Hub(w[2]);
      NewKey(w[1]);
      _inv._vmIndex[w[1]] = _inv._vms.size();
      _inv._vms.push_back(InventoryEntity{w[1], w[2], "", {}});
    } else if (kind == "disk") {
      Count(w, 4, 4, "disk KEY VM HUB");
      auto vm = _inv._vmIndex.find(w[2]);
      if (vm == _inv._vmIndex.end()) Fail("no virtual machine \"" + w[2] + "\" is declared above");
      Hub(w[3]);
      NewKey(w[1]);
      _inv._vms[vm->second].disks.push_back(w[1]);
      _inv._diskIndex[w[1]] = _inv._disks.size();
      _inv._disks.push_back(InventoryEntity{w[1], w[3], w[2], {}});
    } else if (kind == "replication-group") {
      Count(w, 4, Inventory::kMaxLineBytes,
            "replication-group FAULT_DOMAIN DEVICE_GROUP MEMBER...");
      InventoryReplicationGroup group{w[1], w[2], {}};
      for (const auto& other : _inv._groups) {
        if (other.faultDomainId == group.faultDomainId &&
            other.deviceGroupId == group.deviceGroupId) {
          Fail("the replication group " + w[1] + "/" + w[2] + " is declared twice");
        }
      }
      for (size_t i = 3; i < w.size(); ++i) {
        if (_inv._vmIndex.count(w[i]) == 0 && _inv._diskIndex.count(w[i]) == 0) {
          Fail("no virtual machine or disk \"" + w[i] + "\" is declared above");
        }
        if (!_inv._groupOf.emplace(w[i], _inv._groups.size()).second) {
          Fail("\"" + w[i] + "\" is already in a replication group");
        }
        group.members.push_back(w[i]);
      }
      _inv._groups.push_back(std::move(group));
    } else if (kind == "iofilter") {
      Count(w, 3, 3, "iofilter KIT_ID FILTER_TYPE");
      static const char* const kTypes[] = {
          Zel::Profile::IofilterInfo::FILTERTYPE_INSPECTION,
          Zel::Profile::IofilterInfo::FILTERTYPE_COMPRESSION,
          Zel::Profile::IofilterInfo::FILTERTYPE_ENCRYPTION,
          Zel::Profile::IofilterInfo::FILTERTYPE_REPLICATION,
          Zel::Profile::IofilterInfo::FILTERTYPE_CACHE,
          Zel::Profile::IofilterInfo::FILTERTYPE_DATAPROVIDER,
          Zel::Profile::IofilterInfo::FILTERTYPE_DATASTOREIOCONTROL,
      };
      bool known = false;
      for (const char* type : kTypes) known = known || w[2] == type;
      if (!known) Fail("unknown I/O filter type \"" + w[2] + "\"");
      if (!_inv._ioFilters.emplace(w[1], w[2]).second) {
        Fail("the I/O filter " + w[1] + " is declared twice");
      }
    } else if (kind == "unlisted") {
      Count(w, 3, 3, "unlisted odd|other HUB");
      Hub(w[2]);
      std::string* target = w[1] == "odd"     ? &_inv._unlistedOdd
                            : w[1] == "other" ? &_inv._unlistedOther
                                              : nullptr;
      if (target == nullptr) Fail("\"unlisted\" names odd or other, not \"" + w[1] + "\"");
      if (!target->empty()) Fail("the unlisted " + w[1] + " hub is declared twice");
      *target = w[2];
    } else {
      Fail("unknown statement \"" + kind + "\"");
    }
  }

  Inventory& _inv;
  const std::string& _source;
  size_t _line = 0;
  std::set<std::string> _keys;  // hubs, machines and disks share one name space
};

Inventory Inventory::Parse(const std::string& text, const std::string& source) {
  Inventory inventory;
  InventoryParser(inventory, source).Parse(text);
  return inventory;
}

Inventory Inventory::Read(const std::string& path) {
  std::string text;
  try {
    text = Kestrum::ReadFileBounded(path, kMaxFileBytes);
  } catch (const Kestrum::FileReadException& e) {
    switch (e.GetReason()) {
      case Kestrum::FileReadException::Reason::kMissing:
        throw InventoryError(path, 0, "cannot open: no such file");
      case Kestrum::FileReadException::Reason::kUnreadable:
        throw InventoryError(path, 0, "cannot read the file");
      case Kestrum::FileReadException::Reason::kTooLarge:
        break;
    }
    throw InventoryError(path, 0,
                         "the file is larger than " + std::to_string(kMaxFileBytes) + " bytes");
  }
  return Parse(text, path);
}

const Inventory& Inventory::BuiltIn() {
  static const Inventory builtIn = Parse(BuiltInText(), "built-in inventory");
  return builtIn;
}

const InventoryHub* Inventory::FindHub(const std::string& id) const {
  auto it = _hubIndex.find(id);
  return it == _hubIndex.end() ? nullptr : &_hubs[it->second];
}

const InventoryEntity* Inventory::FindVm(const std::string& key) const {
  auto it = _vmIndex.find(key);
  return it == _vmIndex.end() ? nullptr : &_vms[it->second];
}

const InventoryEntity* Inventory::FindDisk(const std::string& key) const {
  auto it = _diskIndex.find(key);
  return it == _diskIndex.end() ? nullptr : &_disks[it->second];
}

const InventoryReplicationGroup* Inventory::GroupOf(const std::string& key) const {
  auto it = _groupOf.find(key);
  return it == _groupOf.end() ? nullptr : &_groups[it->second];
}

const std::string* Inventory::FindIoFilter(const std::string& kitId) const {
  auto it = _ioFilters.find(kitId);
  return it == _ioFilters.end() ? nullptr : &it->second;
}

const InventoryHub* Inventory::HubOf(const std::string& objectType, const std::string& key) const {
  if (objectType == "datastore") return FindHub(key);
  if (objectType == "virtualMachine" || objectType == "virtualMachineAndDisks") {
    if (const InventoryEntity* vm = FindVm(key)) return FindHub(vm->hub);
  }
  if (objectType == "virtualDiskId" || objectType == "virtualDiskUUID") {
    if (const InventoryEntity* disk = FindDisk(key)) return FindHub(disk->hub);
  }
  if (objectType == "host" || objectType == "cluster") return nullptr;
  const std::string& unlisted = IsOddKey(key) ? _unlistedOdd : _unlistedOther;
  return unlisted.empty() ? nullptr : FindHub(unlisted);
}

bool Inventory::Lists(const std::string& objectType, const std::string& key) const {
  if (objectType == "datastore") return FindHub(key) != nullptr;
  if (objectType == "virtualMachine" || objectType == "virtualMachineAndDisks") {
    return FindVm(key) != nullptr;
  }
  if (objectType == "virtualDiskId" || objectType == "virtualDiskUUID") {
    return FindDisk(key) != nullptr;
  }
  return false;
}

}  // namespace ZelSample
