-- wrk script of scale.py: posts the SOAP request in the file named by
-- ZEL_BENCH_REQUEST. The session cookies in ZEL_BENCH_SESSIONS (comma
-- separated) are sent in turn, so that no one session reaches its quota;
-- "@NAME@" in the request becomes a name of its own for each request (the
-- run named by ZEL_BENCH_RUN, the thread and a count), so that every create
-- makes a new profile. The figures are printed as one line that scale.py
-- reads.
local file = assert(io.open(os.getenv("ZEL_BENCH_REQUEST"), "rb"))
local template = file:read("*a")
file:close()

local sessions = {}
for session in string.gmatch(os.getenv("ZEL_BENCH_SESSIONS") or "", "[^,]+") do
  table.insert(sessions, session)
end

local run = os.getenv("ZEL_BENCH_RUN") or "0"

local threads = 0
function setup(thread)
  threads = threads + 1
  thread:set("thread_id", threads)
end

local count = 0
function request()
  count = count + 1
  local body = (template:gsub("@NAME@", "bench-" .. run .. "-" .. thread_id .. "-" .. count))
  local headers = {["Content-Type"] = "text/xml; charset=utf-8", ["SOAPAction"] = '"urn:zel"'}
  if #sessions > 0 then
    headers["Cookie"] = "zel_session=" .. sessions[count % #sessions + 1]
  end
  return wrk.format("POST", nil, headers, body)
end

function done(summary, latency, requests)
  local errors = summary.errors
  io.write(string.format(
    "zel-bench: requests=%d duration_us=%d failed=%d status_errors=%d p50_us=%d p99_us=%d\n",
    summary.requests, summary.duration,
    errors.connect + errors.read + errors.write + errors.timeout, errors.status,
    latency:percentile(50), latency:percentile(99)))
end
