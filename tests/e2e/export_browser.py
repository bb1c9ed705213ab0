"""A browser for the end-to-end tests, started by the host through $BROWSER:
    export_browser.py RECORD SERVED UNIT_FILE MODEL_URL ADDRESS
It appends the address it was given to RECORD (one line) and, as a user would by
exporting a unit in the selector, writes the unit file where the selector's server keeps
it: SERVED/temp/<dcsid>.XML, from UNIT_FILE with the demand of the address (airflow and
pressure of each connection) and the model database address MODEL_URL."""
import os
import sys
import xml.etree.ElementTree as ET

record, served, unit_file, model_url, address = sys.argv[1:6]
with open(record, "a", encoding="utf-8") as f:
    f.write(address + "\n")

# The values are not escaped, so a password may split the query: the keys read here come
# after the login values.
query = address.split("?", 1)[1]
values = dict(pair.partition("=")[::2] for pair in query.split("&"))
tree = ET.parse(unit_file)
root = tree.getroot()
root.find("ModelDatabaseFileUrl").text = model_url
for element, key in (("Supply", "sup"), ("Extract", "ext"), ("Outdoor", "out"), ("Exhaust", "exh")):
    connection = root.find(element)
    if connection is not None:
        connection.find("Airflow").text = values[key + "qv"]
        connection.find("Pressure").text = values[key + "dp"]
folder = os.path.join(served, "temp")
os.makedirs(folder, exist_ok=True)
target = os.path.join(folder, values["dcsid"] + ".XML")
tree.write(target + ".part", encoding="UTF-8", xml_declaration=True)
os.replace(target + ".part", target)
