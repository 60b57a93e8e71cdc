-- wrk script of compare.py: posts the SOAP request in the file named by
-- ZEL_BENCH_REQUEST; with ZEL_BENCH_CLOSE set, asks for a new connection per
-- request.
local file = assert(io.open(os.getenv("ZEL_BENCH_REQUEST"), "rb"))
wrk.method = "POST"
wrk.body = file:read("*a")
file:close()
wrk.headers["Content-Type"] = "text/xml; charset=utf-8"
wrk.headers["SOAPAction"] = '"urn:zel/6.7.2"'
if os.getenv("ZEL_BENCH_CLOSE") then
  wrk.headers["Connection"] = "close"
end
