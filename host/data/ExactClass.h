#ifndef MODELCORE_EXACTCLASS_H_
#define MODELCORE_EXACTCLASS_H_

#include <typeinfo>

#include "host/data/BaseCaseRecord.h"
#include "host/data/NumericValue.h"
#include "host/interfaces/ScoreValue.h"
#include "host/data/StringValue.h"

// The one place that asks which class an interface object really is.
//
// Why: scoring a record goes through the host's interfaces several times
// per predictor (the record's GetValue, the value's GetDouble or GetString,
// the encoder's GetCode, the variable's IsMissingValue), and those virtual
// calls are most of the time a record takes. For the host's own classes,
// whose data the hot paths can read directly (a record's cells, a value's
// number or text, an encoder's tables), they do so instead.
//
// What it assumes: an object whose dynamic class is exactly T behaves as
// T's own code says. Only an exact match takes the fast path: a subclass
// may override anything, so it goes through the interface, as does any
// class not recognised (also one whose type_info is not the one this code
// sees). The interface is always the default and gives the same answers:
// the fast path changes speed, never results.
namespace exact_class {

// These run per predictor and record; an out-of-line call would cost about
// what the virtual call they spare does, hence always_inline.

// `object` as a T when its dynamic class is exactly T, else null.
// REQUIRES: object != nullptr.
template <class T, class Base>
[[gnu::always_inline]] inline T* As(Base* object) {
  return typeid(*object) == typeid(T) ? static_cast<T*>(object) : nullptr;
}

// `object` as a T: the exact test first, then dynamic_cast, which gives the
// same pointer for a T the slow way. REQUIRES: object != nullptr.
template <class T, class Base>
[[gnu::always_inline]] inline T* Cast(Base* object) {
  if (T* exact = As<T>(object)) return exact;
  return dynamic_cast<T*>(object);
}

// A value reached through the ScoreValue interface as the cell a
// BaseCaseRecord would hold for it: the number of a NumericValue, the text
// of a StringValue, kOther for any other class (and for null). The classes
// are told by the address of their type_info, which is cheaper than
// type_info's operator== (that may compare names); a class with a second
// type_info is kOther, which answers the same through the interface.
[[gnu::always_inline]] inline BaseCaseRecord::Cell CellOf(const ScoreValue* value) {
  BaseCaseRecord::Cell cell;
  cell.value = value;
  if (value == nullptr) return cell;
  const std::type_info* type = &typeid(*value);
  if (type == &typeid(NumericValue)) {
    cell.kind = BaseCaseRecord::kNumber;
    cell.number = static_cast<const NumericValue*>(value)->Number();
  } else if (type == &typeid(StringValue)) {
    cell.kind = BaseCaseRecord::kText;
    cell.text = static_cast<const StringValue*>(value)->GetText();
  }
  return cell;
}

}  // namespace exact_class

#endif  // MODELCORE_EXACTCLASS_H_
