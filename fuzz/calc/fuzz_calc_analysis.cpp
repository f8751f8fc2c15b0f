// Any bytes are analysed; a successful analysis is evaluated by the plan (at
// first interpreted, then compiled) and by the reference reduction, which
// must agree on the error and the value.

#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

brunzit::Real6 realFrom(const std::uint8_t* bytes) {
  brunzit::Real6 value;
  std::memcpy(value.Bytes, bytes, 6);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brunzit;
  // The first byte chooses whether variables are allowed; the next 30 bytes,
  // when present, are the five variable values.
  if (size < 1) return 0;
  std::int32_t error = (data[0] & 1) ? VariablesAllowed : 0;
  ++data;
  --size;
  VariableValues variables;
  if (size >= 31 && (data[0] & 1)) {
    for (int i = 0; i < 5; ++i) variables.Values[i] = realFrom(data + 1 + 6 * i);
    data += 31;
    size -= 31;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::int32_t flag = 0;
  analitzar(text, error, flag);
  if (flag != 1 || error < 0 || error > 10 || error == 6) std::abort();
  const OperationList& list = CurrentOperationList();
  if (list.Count < 0 || list.Count > SlotCapacity) std::abort();
  if (error != AnalysisOk) return 0;

  Real6 reference;
  std::int32_t referenceError = -1;
  EvaluateList(list, variables, reference, referenceError);
  if (referenceError == EvaluationListNotReady) std::abort();  // a good list always reduces
  // A plan runs interpreted at first and compiled from its fourth run.
  for (int run = 0; run < 4; ++run) {
    Real6 planned;
    std::int32_t plannedError = -1;
    const Real6* v = variables.Values;
    CalcularXYZUV(v[0], v[1], v[2], v[3], v[4], planned, plannedError);
    if (plannedError != referenceError) std::abort();
    // Out of range keeps the earlier result unless it came from the final check.
    if (plannedError == EvaluationOk && !(planned == reference)) std::abort();
  }
  return 0;
}
